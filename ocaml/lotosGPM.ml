(* The maximal-step graph (GPM) of a system, written as a Graphviz digraph.

   A step is a set of transitions of one configuration that are pairwise
   independent: wherever two of them both move a node, their derivations
   part at a parallel composition, one moving an operand that the other
   leaves alone (two synchronisations are independent when they are so in
   each operand that both move). A step is maximal when no other transition
   of the configuration is independent of all its transitions. From each
   configuration there is one edge per maximal step, labelled by its
   actions in derivation order joined by "|", towards the configuration
   reached by firing them all; the order does not matter, since they touch
   disjoint parts of the term. Configurations are the terms of the rules
   without their events, which only name occurrences and play no part in
   which transitions exist. *)

let rec clear_events = function
  | None -> ()
  | Some n ->
      n.events <- [];
      n.instance <- None;
      clear_events n.left;
      clear_events n.right

(* The union of two steps of the term t, or None when they are dependent. *)
let rec merge t s1 s2 =
  let wrap_left m = { leaf_step with sleft = Some m } in
  let merge_left t s1 s2 =
    match (t.left, s1.sleft, s2.sleft) with
    | Some l, Some x, Some y -> Option.map wrap_left (merge l x y)
    | _ -> None
  in
  match t.kind with
  | KPrefix | KStop -> None
  | KChoice | KCall -> (
      match (s1.jump_to, s2.jump_to, s1.sleft, s2.sleft) with
      | Some a, Some b, Some x, Some y when a == b ->
          Option.map (fun m -> { leaf_step with jump_to = Some a; sleft = Some m }) (merge a x y)
      | _ -> None)
  | KHide -> merge_left t s1 s2
  | KEnable -> if s1.terminated || s2.terminated then None else merge_left t s1 s2
  | KDisable -> (
      if s1.terminated || s2.terminated then None
      else
        match (s1.sright, s2.sright, t.right) with
        | None, None, _ -> merge_left t s1 s2
        | Some x, Some y, Some r -> Option.map (fun m -> { leaf_step with sright = Some m }) (merge r x y)
        | _ -> None)
  | KParallel -> (
      let side operand a b =
        match (a, b, operand) with
        | None, x, _ | x, None, _ -> Some x
        | Some x, Some y, Some o -> Option.map Option.some (merge o x y)
        | Some _, Some _, None -> None
      in
      match (side t.left s1.sleft s2.sleft, side t.right s1.sright s2.sright) with
      | Some l, Some r -> Some { leaf_step with sleft = l; sright = r }
      | _ -> None)

(* Maximal cliques of the independence relation, each in ascending order. *)
let maximal_cliques n independent =
  let found = ref [] in
  let rec bk r p x =
    if p = [] && x = [] then found := List.sort compare r :: !found
    else
      let _ =
        List.fold_left
          (fun (p, x) v ->
            let nb = List.filter (independent v) in
            bk (v :: r) (nb p) (nb x);
            (List.filter (( <> ) v) p, v :: x))
          (p, x) p
      in
      ()
  in
  bk [] (List.init n Fun.id) [];
  List.rev !found

type edge = { label : string; target : int }

type graph = { edges : edge list array }

let gpm (defs : definition list) =
  let sys = make_system defs in
  let index = Hashtbl.create 1024 in
  let terms = ref [||] and count = ref 0 in
  let state_of t =
    clear_events (Some t);
    let k = key_of t in
    match Hashtbl.find_opt index k with
    | Some n -> n
    | None ->
        if !count = Array.length !terms then
          terms := Array.append !terms (Array.make (max 16 (Array.length !terms)) t);
        let n = !count in
        !terms.(n) <- t;
        incr count;
        Hashtbl.replace index k n;
        n
  in
  ignore (state_of (copy sys.root));
  let edges = ref [] in
  let current = ref 0 in
  while !current < !count do
    let work, trs = transitions sys !terms.(!current) in
    let trs = Array.of_list trs in
    let n = Array.length trs in
    let independent i j = i <> j && merge work trs.(i).step trs.(j).step <> None in
    let out =
      List.filter_map
        (fun clique ->
          let steps = List.map (fun i -> trs.(i).step) clique in
          let combined =
            List.fold_left
              (fun acc s -> Option.bind acc (fun a -> merge work a s))
              (Some (List.hd steps)) (List.tl steps)
          in
          Option.map
            (fun step ->
              let ctx = { ccauses = []; cevent = 1; caction = internal_action; cenabling = 0 } in
              let succ = match next (Some work) (Some step) ctx with Some t -> t | None -> mk KStop in
              let label = String.concat "|" (List.map (fun i -> trs.(i).action) clique) in
              { label; target = state_of succ })
            combined)
        (if n = 0 then [] else maximal_cliques n independent)
    in
    let unique = List.fold_left (fun acc e -> if List.mem e acc then acc else e :: acc) [] out in
    edges := List.rev unique :: !edges;
    incr current
  done;
  { edges = Array.of_list (List.rev !edges) }

let gpm_size g = (Array.length g.edges, Array.fold_left (fun n l -> n + List.length l) 0 g.edges)

let gpm_dot_lines g =
  let n = Array.length g.edges in
  let nodes =
    List.init n (fun s -> Printf.sprintf "  S%d [shape=%s];" s (if s = 0 then "doublecircle" else "circle"))
  in
  let arcs =
    List.concat
      (List.init n (fun s ->
           List.map (fun e -> Printf.sprintf "  S%d -> S%d [label=%s];" s e.target (dot_quote e.label)) g.edges.(s)))
  in
  ("digraph GPM {" :: nodes) @ arcs @ [ "}" ]

let dot_stem ((defs : definition list), (path : string)) = write_lines path (gpm_dot_lines (gpm defs))
